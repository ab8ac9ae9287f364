// Known-module lookups and identifier extraction.
#include "core/ast_indexer/source_index.h"

namespace pelrin::ast_indexer {
namespace {

constexpr std::string_view kModules[] = {
    "abc",
    "asyncio",
    "builtins",
    "collections",
    "contextlib",
    "copy",
    "dataclasses",
    "datetime",
    "decimal",
    "enum",
    "functools",
    "gc",
    "hashlib",
    "heapq",
    "importlib",
    "inspect",
    "io",
    "itertools",
    "json",
    "logging",
    "math",
    "operator",
    "os",
    "pathlib",
    "pickle",
    "platform",
    "pprint",
    "queue",
    "random",
    "re",
    "secrets",
    "shutil",
    "signal",
    "socket",
    "sqlite3",
    "ssl",
    "string",
    "struct",
    "subprocess",
    "sys",
    "tempfile",
    "threading",
    "time",
    "traceback",
    "typing",
    "unittest",
    "urllib",
    "uuid",
    "warnings",
    "weakref",
    "xml",
    "zipfile",
    "zlib",
    "typing_extensions",
    "numpy",
    "pandas",
    "requests",
    "aiohttp",
    "httpx",
    "pydantic",
    "pytest",
    "mock",
    "argparse",
    "array",
    "ast",
    "atexit",
    "base64",
    "binascii",
    "bisect",
    "bz2",
    "calendar",
    "cmath",
    "codecs",
    "concurrent",
    "configparser",
    "contextvars",
    "csv",
    "ctypes",
    "curses",
    "dbm",
    "difflib",
    "dis",
    "doctest",
    "email",
    "encodings",
    "errno",
    "faulthandler",
    "fcntl",
    "filecmp",
    "fileinput",
    "fnmatch",
    "fractions",
    "ftplib",
    "getopt",
    "getpass",
    "gettext",
    "glob",
    "graphlib",
    "grp",
    "gzip",
    "hmac",
    "html",
    "http",
    "imaplib",
    "imghdr",
    "ipaddress",
    "keyword",
    "linecache",
    "locale",
    "lzma",
    "mailbox",
    "mimetypes",
    "mmap",
    "modulefinder",
    "multiprocessing",
    "netrc",
    "nis",
    "nntplib",
    "numbers",
    "optparse",
    "parser",
    "pdb",
    "pkgutil",
    "poplib",
    "posix",
    "posixpath",
    "profile",
    "pstats",
    "pty",
    "pwd",
    "py_compile",
    "pyclbr",
    "pydoc",
    "readline",
    "reprlib",
    "resource",
    "rlcompleter",
    "runpy",
    "sched",
    "select",
    "selectors",
    "shelve",
    "shlex",
    "site",
    "smtpd",
    "smtplib",
    "sndhdr",
    "socketserver",
    "spwd",
    "stat",
    "statistics",
    "stringprep",
    "sunau",
    "symtable",
    "sysconfig",
    "syslog",
    "tabnanny",
    "tarfile",
    "telnetlib",
    "termios",
    "test",
    "textwrap",
    "timeit",
    "tkinter",
    "token",
    "tokenize",
    "trace",
    "tracemalloc",
    "tty",
    "turtle",
    "types",
    "unicodedata",
    "uu",
    "venv",
    "wave",
    "webbrowser",
    "winreg",
    "winsound",
    "wsgiref",
    "xdrlib",
    "xmlrpc",
    "zipapp",
    "zipimport",
    "zoneinfo",
};

}  // namespace

const absl::flat_hash_set<std::string_view>& STDLIB_MODULES() {
  static const absl::flat_hash_set<std::string_view> set(std::begin(kModules), std::end(kModules));
  return set;
}

const platform::Regex& IDENTIFIER_REGEX() {
  static const platform::Regex re =
      platform::Regex::fixed("[A-Za-z_][A-Za-z0-9_]*", platform::PerlClasses::kAscii);
  return re;
}

bool is_stdlib_module(std::string_view module_name) {
  if (module_name.empty()) return false;
  const auto& set = STDLIB_MODULES();
  if (set.contains(module_name)) return true;
  const std::size_t dot = module_name.find('.');
  return dot != std::string_view::npos && set.contains(module_name.substr(0, dot));
}

std::vector<bool> batch_is_stdlib_modules(const std::vector<std::string_view>& module_names) {
  std::vector<bool> out;
  out.reserve(module_names.size());
  for (std::string_view n : module_names) out.push_back(is_stdlib_module(n));
  return out;
}

std::pair<std::vector<std::string_view>, std::vector<std::string_view>> filter_stdlib_imports(
    const std::vector<std::string_view>& imports) {
  std::pair<std::vector<std::string_view>, std::vector<std::string_view>> out;
  for (std::string_view n : imports) (is_stdlib_module(n) ? out.first : out.second).push_back(n);
  return out;
}

std::vector<std::string_view> extract_identifiers(std::string_view source) {
  absl::flat_hash_set<std::string_view> seen;
  for_each_identifier(source, [&](std::size_t start, std::size_t end) {
    seen.insert(source.substr(start, end - start));
  });
  return std::vector<std::string_view>(seen.begin(), seen.end());
}

std::vector<std::tuple<std::string_view, std::uint64_t, std::uint64_t>>
extract_identifiers_with_positions(std::string_view source) {
  std::vector<std::tuple<std::string_view, std::uint64_t, std::uint64_t>> out;
  for_each_identifier(source, [&](std::size_t start, std::size_t end) {
    out.emplace_back(source.substr(start, end - start), start, end);
  });
  return out;
}

}  // namespace pelrin::ast_indexer
