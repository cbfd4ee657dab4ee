#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "platform/foundation/Json.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Utf8.h"
#include "platform/foundation/Value.h"

using fnd::Array;
using fnd::Dictionary;
using fnd::Value;

TEST(ValueEquality, NumbersCompareByValueAcrossKinds) {
  EXPECT_EQ(Value(1), Value(1.0));
  EXPECT_EQ(Value(true), Value(1));
  EXPECT_EQ(Value(false), Value(0.0));
  EXPECT_NE(Value(1), Value(1.5));
  // An integer that a double cannot hold exactly is not equal to the nearest double.
  EXPECT_NE(Value(int64_t{9007199254740993}), Value(9007199254740992.0));
  EXPECT_EQ(Value(1).hash(), Value(1.0).hash());
  EXPECT_EQ(Value(0.0).hash(), Value(-0.0).hash());
}

TEST(ValueEquality, StringsNeverEqualNumbersAndNilIsNotNull) {
  EXPECT_NE(Value("5"), Value(5));
  EXPECT_NE(Value(5), Value("5"));
  EXPECT_NE(Value(), Value::null());
  EXPECT_EQ(Value(), Value(nullptr));
  EXPECT_EQ(Value::null(), Value::null());
  EXPECT_NE(Value(""), Value());
  EXPECT_EQ(Value("abc"), Value(std::string("abc")));
}

TEST(ValueEquality, ContainersCompareElementwise) {
  EXPECT_EQ(Value(Array{1, "a", Value()}), Value(Array{1.0, "a", Value()}));
  EXPECT_NE(Value(Array{1, 2}), Value(Array{1, 2, 3}));
  EXPECT_NE(Value(Array{"1"}), Value(Array{1}));
  EXPECT_EQ(Value(Dictionary{{"a", 1}}), Value(Dictionary{{"a", true}}));
  EXPECT_NE(Value(Dictionary{{"a", 1}}), Value(Dictionary{{"b", 1}}));
  std::unordered_set<Value> set{Value(Array{1, 2}), Value(Array{1.0, 2.0}), Value("x")};
  EXPECT_EQ(set.size(), 2u);
}

TEST(ValueEquality, ObjectsByIdentityOrIsEqual) {
  struct Plain : fnd::Object {};
  struct Named : fnd::Object {
    explicit Named(std::string n) : name(std::move(n)) {}
    std::string name;
    bool isEqual(const fnd::Object& o) const override {
      auto* other = dynamic_cast<const Named*>(&o);
      return other && other->name == name;
    }
  };
  auto a = fnd::make<Plain>(), b = fnd::make<Plain>();
  EXPECT_EQ(Value(a), Value(a));
  EXPECT_NE(Value(a), Value(b));
  EXPECT_EQ(Value(fnd::make<Named>("x")), Value(fnd::make<Named>("x")));
  EXPECT_EQ(Value(std::shared_ptr<Plain>()), Value());  // a null pointer is nil
  EXPECT_EQ(Value(a).asObject<Plain>(), a);
  EXPECT_EQ(Value(a).asObject<Named>(), nullptr);
}

TEST(ValueConversions, LenientNumbersFromStrings) {
  EXPECT_EQ(Value("  12abc").intValue(), 12);
  EXPECT_EQ(Value("-7").intValue(), -7);
  EXPECT_EQ(Value("x").intValue(), 0);
  EXPECT_EQ(Value("").intValue(), 0);
  EXPECT_EQ(Value("99999999999999999999999").intValue(), INT64_MAX);
  EXPECT_EQ(Value("-99999999999999999999999").intValue(), INT64_MIN);
  EXPECT_EQ(Value(3.9).intValue(), 3);
  EXPECT_EQ(Value(-3.9).intValue(), -3);
  EXPECT_EQ(Value(1e300).intValue(), INT64_MAX);
  EXPECT_EQ(Value(std::nan("")).intValue(), 0);
  EXPECT_DOUBLE_EQ(Value(" 2.5x").doubleValue(), 2.5);
  EXPECT_EQ(Value().intValue(), 0);
  EXPECT_EQ(Value::null().intValue(), 0);
}

TEST(ValueConversions, BoolFollowsThePlatformRule) {
  EXPECT_TRUE(Value("YES").boolValue());
  EXPECT_TRUE(Value("  t").boolValue());
  EXPECT_TRUE(Value("007").boolValue());
  EXPECT_FALSE(Value("000").boolValue());
  EXPECT_FALSE(Value("NO").boolValue());
  EXPECT_FALSE(Value("").boolValue());
  EXPECT_FALSE(Value().boolValue());
  EXPECT_FALSE(Value::null().boolValue());
  EXPECT_TRUE(Value(0.5).boolValue());
  EXPECT_FALSE(Value(0).boolValue());
  EXPECT_TRUE(Value(Array{}).boolValue());
}

TEST(ValueConversions, StringForms) {
  EXPECT_EQ(Value(42).stringValue(), "42");
  EXPECT_EQ(Value(true).stringValue(), "1");
  EXPECT_EQ(Value(2.0).stringValue(), "2");
  EXPECT_EQ(Value(0.1).stringValue(), "0.1");
  EXPECT_EQ(Value(1.0 / 3).doubleValue(), std::stod(Value(1.0 / 3).stringValue()));
  EXPECT_EQ(Value().stringValue(), "");
  EXPECT_EQ(Value(Array{1, "a"}).description(), "(1, \"a\")");
}

TEST(ValueContainers, OutOfRangeAndMissingGiveNil) {
  Array a{1, 2};
  EXPECT_TRUE(a[5].isNil());
  EXPECT_TRUE(Dictionary{}["nope"].isNil());
  Array b = a.with(3, "x");
  EXPECT_EQ(b.size(), 4u);
  EXPECT_TRUE(b[2].isNil());
  EXPECT_EQ(a.size(), 2u);  // the original is untouched
  EXPECT_EQ(Value(5).asArray().size(), 0u);
  EXPECT_EQ(Value(5).asString(), "");
}

TEST(ValueTraits, TypedRoundTrips) {
  std::vector<int> words{0, 1, 65535};
  Value v = fnd::toValue(words);
  EXPECT_EQ(v, Value(Array{0, 1, 65535}));
  EXPECT_EQ(fnd::fromValue<std::vector<int>>(Value(Array{"3", 4.0})), (std::vector<int>{3, 4}));
  EXPECT_EQ(fnd::fromValue<std::optional<int>>(Value()), std::nullopt);
  EXPECT_EQ(fnd::fromValue<std::optional<int>>(Value::null()), std::nullopt);
  EXPECT_EQ(fnd::fromValue<std::optional<int>>(Value("7")), 7);
  EXPECT_EQ(fnd::fromValue<std::string>(Value(12)), "12");
  EXPECT_EQ(fnd::fromValue<std::string>(Value::null()), "");
}

TEST(ValueJson, RoundTripKeepsKindsAndRejectsGarbage) {
  auto parsed = fnd::parseJson(R"({"a":[1,2.5,"x",null,true],"b":{"c":-3}})");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->asDictionary()["a"].asArray()[0].kind(), Value::Kind::Int);
  EXPECT_EQ(parsed->asDictionary()["a"].asArray()[1].kind(), Value::Kind::Double);
  EXPECT_TRUE(parsed->asDictionary()["a"].asArray()[3].isNull());
  auto again = fnd::parseJson(fnd::writeJson(*parsed));
  ASSERT_TRUE(again);
  EXPECT_EQ(*again, *parsed);
  std::string error;
  EXPECT_FALSE(fnd::parseJson("{\"a\":", &error));
  EXPECT_FALSE(error.empty());
  // Deep nesting from a hostile file neither crashes nor recurses without end.
  std::string deep(100000, '[');
  deep += std::string(100000, ']');
  EXPECT_TRUE(fnd::parseJson(deep).has_value());
}

// Every string and key comes back byte for byte, a caller's dictionary is
// never taken for the marker of a string that is not UTF-8, text written
// before reads as it did, and what JSON text cannot give back is refused.
TEST(ValueJson, TheBytesEncodingGivesBackWhatWasEncoded) {
  auto viaText = [](const Value& v) -> std::optional<Value> {
    const std::optional<Value> encoded = fnd::encodeBytesForJson(v);
    if (!encoded) return std::nullopt;
    const std::string text = fnd::writeJson(*encoded, -1);
    EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << text;
    const std::optional<Value> parsed = fnd::parseJson(text);
    return parsed ? std::optional<Value>(fnd::decodeBytesFromJson(*parsed)) : std::nullopt;
  };
  for (const Value& v : {Value(Dictionary{{"$bytes", "41"}}), Value(Dictionary{{"$bytes", "\xFF"}}),
                         Value(Dictionary{{"$$x", 1}, {"$", 2}, {"$bytes:41", 3}, {"", 4}}),
                         Value(Dictionary{{"Pr\xE9sets", "\xFF"}, {"\xC3", Array{"\x80", Dictionary{{"\xE2\x82", 5}}}}}),
                         Value(Array{"ok", "\xED\xA0\x80"})}) {
    EXPECT_EQ(viaText(v), v) << fnd::writeJson(*fnd::encodeBytesForJson(v), -1);
  }
  // Written before: markers (hex digits of either case), and dictionaries
  // that are none.
  for (const auto& [text, expected] :
       {std::pair<const char*, Value>{R"({"$bytes": "FFfe"})", Value("\xFF\xFE")},
        {R"([{"$bytes": "e9"}, {"$bytes:C3": 1}])", Value(Array{"\xE9", Dictionary{{"\xC3", 1}}})},
        {R"({"$bytes": "4"})", Value(Dictionary{{"$bytes", "4"}})},
        {R"({"$bytes": "zz", "$x": 1})", Value(Dictionary{{"$bytes", "zz"}, {"$x", 1}})}}) {
    EXPECT_EQ(fnd::decodeBytesFromJson(*fnd::parseJson(text)), expected) << text;
  }
  // 256 levels are read back (deeper parts read as null); a marker's hex is
  // one level below its string.
  auto nested = [](Value v, int levels) {
    for (int i = 0; i < levels; ++i) v = Value(Array{v});
    return v;
  };
  EXPECT_EQ(viaText(nested(Value("\xFF"), 255)), nested(Value("\xFF"), 255));
  EXPECT_FALSE(fnd::encodeBytesForJson(nested(Value("\xFF"), 256)));
  EXPECT_FALSE(fnd::encodeBytesForJson(nested(Value(1), 257)));
  EXPECT_EQ(viaText(nested(Value::null(), 257)), nested(Value::null(), 257));
}

// Well-formed UTF-8 is only the shortest form of a code point up to
// U+10FFFF that is no surrogate, whole.
TEST(Utf8, OnlyWholeShortestFormsOfCodePointsAreValid) {
  for (const auto& [bytes, valid] : std::initializer_list<std::pair<std::string_view, bool>>{
           {"", true}, {"Caf\xC3\xA9", true}, {"\xC2\x80\xDF\xBF", true}, {"\xE0\xA0\x80\xE2\x82\xAC", true},
           {"\xED\x9F\xBF\xEE\x80\x80", true}, {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", true},
           // Overlong forms of two, three and four bytes.
           {"\xC0\xAF", false}, {"\xC1\xBF", false}, {"\xE0\x80\xAF", false}, {"\xE0\x9F\xBF", false},
           {"\xF0\x80\x80\xAF", false}, {"\xF0\x8F\xBF\xBF", false},
           // Surrogates; past U+10FFFF.
           {"\xED\xA0\x80", false}, {"\xED\xBF\xBF", false}, {"\xF4\x90\x80\x80", false},
           {"\xF5\x80\x80\x80", false}, {"\xF7\xBF\xBF\xBF", false},
           // Cut off, at the end or before other bytes; no lead byte.
           {"\xC3", false}, {"a\xE2\x82", false}, {"\xF0\x9F\x8E", false}, {"\xE2\x82" "a", false},
           {"\x80", false}, {"\xFF", false}}) {
    EXPECT_EQ(fnd::utf8::isValid(bytes), valid) << testing::PrintToString(std::string(bytes));
  }
  // Writing: the shortest form at each boundary, a surrogate's own three
  // bytes, U+FFFD past U+10FFFF.
  for (const auto& [codePoint, bytes] : std::initializer_list<std::pair<char32_t, std::string_view>>{
           {0x7F, "\x7F"}, {0x80, "\xC2\x80"}, {0x7FF, "\xDF\xBF"}, {0x800, "\xE0\xA0\x80"},
           {0xD800, "\xED\xA0\x80"}, {0xFFFF, "\xEF\xBF\xBF"}, {0x10000, "\xF0\x90\x80\x80"},
           {0x10FFFF, "\xF4\x8F\xBF\xBF"}, {0x110000, "\xEF\xBF\xBD"}}) {
    std::string out = "a";
    fnd::utf8::append(out, codePoint);
    EXPECT_EQ(out, "a" + std::string(bytes)) << std::hex << uint32_t(codePoint);
  }
}
