// A map that keeps its insertion order, for results that become dicts.
#pragma once

#include <utility>
#include <vector>

namespace pelrin {

// Entries in insertion order; the binding layer turns it into a dict with
// that key order. Keys are expected to be distinct (a later duplicate
// replaces the earlier value in the dict, at the earlier position).
template <class K, class V>
struct OrderedMap {
  std::vector<std::pair<K, V>> entries;

  void emplace(K key, V value) { entries.emplace_back(std::move(key), std::move(value)); }
  std::size_t size() const { return entries.size(); }
  bool empty() const { return entries.empty(); }
};

}  // namespace pelrin
