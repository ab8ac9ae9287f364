# Third-party libraries, all from the system (Debian packages), never vendored.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(TBB REQUIRED COMPONENTS tbb)
find_package(absl REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n)
find_package(ZLIB REQUIRED)
pkg_check_modules(RE2 REQUIRED IMPORTED_TARGET re2)
pkg_check_modules(XXHASH REQUIRED IMPORTED_TARGET libxxhash)
pkg_check_modules(FYAML REQUIRED IMPORTED_TARGET libfyaml)

# Everything the core library may use; the platform facades are the only
# files that include these headers.
add_library(pelrin_third_party INTERFACE)
target_link_libraries(pelrin_third_party INTERFACE
  TBB::tbb absl::flat_hash_map absl::flat_hash_set absl::hash
  ICU::uc ICU::i18n ZLIB::ZLIB PkgConfig::RE2 PkgConfig::XXHASH PkgConfig::FYAML
  Threads::Threads)
