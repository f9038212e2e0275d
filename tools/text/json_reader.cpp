#include "tools/text/json_reader.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace karst::tools {

// GCC 12 at -O3 warns that the copies inside std::string's operator+ may overlap, which they
// cannot (GCC bug 105329): the warning is off for this one line.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

const nlohmann::json* Member(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::string TextMember(const nlohmann::json& object, std::string_view key) {
  const nlohmann::json* member = Member(object, key);
  return member != nullptr && member->is_string() ? member->get<std::string>() : std::string();
}

std::optional<std::int64_t> WholeNumber(const nlohmann::json& value) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    return number <= static_cast<std::uint64_t>(INT64_MAX) ? std::optional<std::int64_t>(number) : std::nullopt;
  }
  if (value.is_number_integer()) {
    return value.get<std::int64_t>();
  }
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (std::isfinite(number) && std::floor(number) == number && std::fabs(number) < 9.0e18) {
      return static_cast<std::int64_t>(number);
    }
  }
  return std::nullopt;
}

JsonFields::JsonFields(const nlohmann::json& object, std::string where, std::string& error)
    : object_(object), where_(std::move(where)), error_(error) {
  if (!object_.is_object()) {
    Fail("is not a JSON object");
  }
}

const nlohmann::json* JsonFields::Find(std::string_view key) {
  if (!error_.empty() || !object_.is_object()) {
    return nullptr;
  }
  const nlohmann::json* member = Member(object_, key);
  if (member == nullptr) {
    Fail("has no " + Quoted(key));
  }
  return member;
}

std::uint64_t JsonFields::Unsigned(std::string_view key, std::uint64_t most) {
  const nlohmann::json* value = Find(key);
  if (value == nullptr) {
    return 0;
  }
  if (!value->is_number_unsigned() || value->get<std::uint64_t>() > most) {
    Fail(Quoted(key) + " is not a whole number from 0 to " + std::to_string(most));
    return 0;
  }
  return value->get<std::uint64_t>();
}

std::int64_t JsonFields::Signed(std::string_view key) {
  const nlohmann::json* value = Find(key);
  if (value == nullptr) {
    return 0;
  }
  if (!value->is_number_integer()) {
    Fail(Quoted(key) + " is not a whole number");
    return 0;
  }
  return value->get<std::int64_t>();
}

std::string JsonFields::Text(std::string_view key) {
  const nlohmann::json* value = Find(key);
  if (value == nullptr) {
    return {};
  }
  if (!value->is_string()) {
    Fail(Quoted(key) + " is not a string");
    return {};
  }
  return value->get<std::string>();
}

bool JsonFields::Flag(std::string_view key) {
  const nlohmann::json* value = Find(key);
  if (value == nullptr) {
    return false;
  }
  if (!value->is_boolean()) {
    Fail(Quoted(key) + " is not true or false");
    return false;
  }
  return value->get<bool>();
}

const nlohmann::json& JsonFields::Array(std::string_view key) {
  static const nlohmann::json kEmpty = nlohmann::json::array();
  const nlohmann::json* value = Find(key);
  if (value == nullptr) {
    return kEmpty;
  }
  if (!value->is_array()) {
    Fail(Quoted(key) + " is not a list");
    return kEmpty;
  }
  return *value;
}

void JsonFields::Fail(const std::string& problem) {
  if (error_.empty()) {
    error_ = where_ + " " + problem;
  }
}

}  // namespace karst::tools
