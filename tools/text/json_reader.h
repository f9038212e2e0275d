// Reading JSON values that a person may have edited, without throwing: nlohmann's getters throw on
// a value of the wrong kind, so every value is looked up and its kind checked here first.
//
// Two ways in, over the same lookups: the member functions take what is there and give an empty
// value for anything else (for formats such as Tiled's, whose reader checks the model it builds);
// JsonFields reads the fields of one object in order and keeps the first thing wrong, in words
// that name where it is ("a chunk of its directory has no \"size\"").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace karst::tools {

// `text` in double quotes, as a message names a key or a value: "objects".
std::string Quoted(std::string_view text);

// The member `key` of `object`; null when `object` is no object or has no such member.
const nlohmann::json* Member(const nlohmann::json& object, std::string_view key);

// The text of the member `key`; empty when there is none or it is no string.
std::string TextMember(const nlohmann::json& object, std::string_view key);

// A number that is a whole one ("3", or "3.0" as a hand or a program may write it); nothing for
// any other value. Whole numbers beyond 2^53 are not told apart from their neighbours and are
// taken as they read.
std::optional<std::int64_t> WholeNumber(const nlohmann::json& value);

// The fields of one JSON object, each read with its kind checked. Every getter gives a value
// either way; the first thing wrong goes into the `error` given at construction, as `where`
// followed by what is wrong, and `error` says whether the values can be used.
class JsonFields {
 public:
  JsonFields(const nlohmann::json& object, std::string where, std::string& error);

  // The member, or null after noting that it is missing.
  const nlohmann::json* Find(std::string_view key);
  bool Has(std::string_view key) const { return Member(object_, key) != nullptr; }

  std::uint64_t Unsigned(std::string_view key, std::uint64_t most);
  std::int64_t Signed(std::string_view key);
  std::string Text(std::string_view key);
  bool Flag(std::string_view key);
  // The list, or an empty one after noting what is wrong.
  const nlohmann::json& Array(std::string_view key);

  // Notes `problem` unless something was noted before.
  void Fail(const std::string& problem);

 private:
  const nlohmann::json& object_;
  std::string where_;
  std::string& error_;
};

}  // namespace karst::tools
