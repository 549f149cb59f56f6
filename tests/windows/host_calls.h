// One command line of a test host: the name of one of the 28 operations and
// one word per parameter, turned into the call and one line of output. An
// int parameter takes its word as a number; a text parameter gets a buffer
// of its own holding the word ("-": empty); an output (int&, int*, the
// rows) ignores its word. The line is the result code, then each text, int
// and row list as the call left it:
//   TokenAuth 1 2 -          ->  9999 2024-01-01 00:00:00
//   TokenBindInfoQuery 7 8 - -  ->  9999 2;11,12,acct,2024-01-01 10:00:00;...
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "zephyrcoilvault.h"

namespace zcv::test {

template <typename T>
struct HostArgument;

template <>
struct HostArgument<int> {
  explicit HostArgument(const std::string& word) : value(std::atoi(word.c_str())) {}
  int get() { return value; }
  void Print(std::ostream&) const {}
  int value;
};

template <>
struct HostArgument<char*> {
  explicit HostArgument(const std::string& word) {
    if (word != "-") std::snprintf(text, sizeof text, "%s", word.c_str());
  }
  char* get() { return text; }
  void Print(std::ostream& out) const {
    out << ' ' << std::string(text, strnlen(text, sizeof text));
  }
  char text[256] = {};
};

template <>
struct HostArgument<int&> {
  explicit HostArgument(const std::string&) {}
  int& get() { return value; }
  void Print(std::ostream& out) const { out << ' ' << value; }
  int value = -1;
};

template <>
struct HostArgument<int*> {
  explicit HostArgument(const std::string&) {}
  int* get() { return &value; }
  void Print(std::ostream& out) const { out << ' ' << value; }
  int value = -1;
};

template <>
struct HostArgument<pTokenBindInfo*> {
  explicit HostArgument(const std::string&) {}
  pTokenBindInfo* get() { return rows; }
  // The rows written, each ";AppNo,AppNo2,Account,Bindtime".
  void Print(std::ostream& out) const {
    for (const pTokenBindInfo& row : rows) {
      if (row.AppNo == 0 && row.Account[0] == '\0') break;
      out << ';' << row.AppNo << ',' << row.AppNo2 << ','
          << std::string(row.Account, strnlen(row.Account, sizeof row.Account)) << ','
          << std::string(row.Bindtime, strnlen(row.Bindtime, sizeof row.Bindtime));
    }
  }
  pTokenBindInfo rows[zcv::kMaxBindRows] = {};
};

template <typename... Parameters, std::size_t... I>
std::string CallWith(ResultCode (*function)(Parameters...), const std::vector<std::string>& words,
                     std::index_sequence<I...>) {
  std::tuple<HostArgument<Parameters>...> arguments(words[I]...);
  const ResultCode code = function(std::get<I>(arguments).get()...);
  std::ostringstream line;
  line << code;
  (std::get<I>(arguments).Print(line), ...);
  return line.str();
}

// Calls `function` with the words after the operation's name.
template <typename... Parameters>
std::string HostCall(ResultCode (*function)(Parameters...), const std::vector<std::string>& words) {
  if (function == nullptr) return "not exported";
  if (words.size() != sizeof...(Parameters)) {
    return "wants " + std::to_string(sizeof...(Parameters)) + " words";
  }
  return CallWith(function, words, std::index_sequence_for<Parameters...>{});
}

inline std::vector<std::string> HostWords(const std::string& command) {
  std::istringstream in(command);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace zcv::test
