// The streaming reader of JSON lists: any bytes give the objects or a clear error.
#include "updater/json_list.h"

#include <gtest/gtest.h>

#include <array>

namespace vistrelle::updater {
namespace {

constexpr std::array<std::string_view, 3> kKeys = {"name", "bitrate", "tags"};

struct Read {
    ListResult result;
    std::vector<std::string> objects;  // the values joined with "/"
};

Read readList(std::string_view bytes, size_t piece = 7, size_t maxValue = size_t{1} << 20,
              std::span<const std::string_view> wholeKeys = {}) {
    MemorySource source(bytes, piece);
    Read read;
    read.result = readObjectList(
        source, kKeys,
        [&](ObjectValues values) {
            read.objects.push_back(values[0] + "/" + values[1] + "/" + values[2]);
            return true;
        },
        maxValue, wholeKeys);
    return read;
}

using Code = ListResult::Code;

TEST(UpdaterJsonList, Answers) {
    const struct {
        std::string bytes;
        Code code;
        std::vector<std::string> objects;
    } cases[] = {
        {R"([{"name":"A","bitrate":128,"tags":"x,y"},{"bitrate":"64","name":"B"}])",
         Code::Done,
         {"A/128/x,y", "B/64/"}},
        {"  [ ]  ", Code::Done, {}},
        // Wrong types: numbers, booleans, null, lists and objects where texts are expected.
        {R"([{"name":12.5,"bitrate":true,"tags":["a",1,{"x":"y"},"b"]},{"name":null,"bitrate":false}])",
         Code::Done,
         {"12.5/1/a,1,b", "/0/"}},
        {R"([{"name":{"deep":"no"},"bitrate":[[1]],"tags":"t"}])", Code::Done, {"//t"}},
        // Elements that are not objects are skipped; unknown keys too.
        {R"([1,"two",null,[{"name":"nested"}],{"other":"o","name":"C"}])", Code::Done, {"C//"}},
        {R"({"name":"A"})", Code::NotAList, {}},
        {R"("just text")", Code::NotAList, {}},
        {"", Code::NotJson, {}},
        // Cut off in the middle: the objects before the cut are read, then the error.
        {R"([{"name":"A"},{"name":"B)", Code::NotJson, {"A//"}},
        {"<!DOCTYPE html><html><body>Service unavailable</body></html>", Code::NotJson, {}},
        {R"([{"name":"A"}] trailing)", Code::NotJson, {"A//"}},
        {"[{\"name\":\"bad \xff utf8\"}]", Code::NotJson, {}},
        {"[{\"name\":\"\\u00c5 \\ud83d\\ude00\"}]", Code::Done, {"Å 😀//"}},
        // Numbers as numbers; one that cannot be read (beyond a double) costs its own value.
        {R"([{"name":"A","bitrate":1.28e2,"tags":[1E3,2e5,-7,0.5,1e-400]}])",
         Code::Done,
         {"A/128/1000,200000,-7,0.5,0"}},
        {R"([{"geo_lat":1e999,"name":"B","bitrate":-1.5e309},{"name":"C","bitrate":)" +
             std::string(401, '9') + R"(,"tags":1)" + std::string(300, '0') + "}]",
         Code::Done,
         {"B//", "C//1e+300"}},
        // An escaped surrogate without its other half is U+FFFD.
        {R"([{"name":"\ud800 x","bitrate":"\udc00","tags":"\ud800\u0041\ud800\ud800\udc00\ud800"}])",
         Code::Done,
         {"\uFFFD x/\uFFFD/\uFFFDA\uFFFD\U00010000\uFFFD"}},
        {R"([{"name":"\ud800)", Code::NotJson, {}},
        {R"([{"name":1e999]])", Code::NotJson, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        for (size_t piece : {size_t{1}, size_t{7}, size_t{65536}}) {
            Read read = readList(c.bytes, piece);
            EXPECT_EQ(read.result.code, c.code);
            EXPECT_EQ(read.objects, c.objects);
            EXPECT_EQ(read.result.error.empty(), c.code == Code::Done);
        }
    }
}

TEST(UpdaterJsonList, HugeValuesDeepNestingAndStopping) {
    // A value that had to be cut is kept cut, unless it is an address: that is left empty.
    constexpr std::array<std::string_view, 1> addresses = {"name"};
    EXPECT_EQ(
        readList(R"([{"name":"http://long.example/","tags":"0123456789abc"}])", 7, 10, addresses)
            .objects,
        std::vector<std::string>{"//0123456789"});
    // Huge values are cut; very deep nesting is skipped, not a crash.
    std::string huge(3'000'000, 'x');
    Read read = readList(R"([{"name":")" + huge + R"(","tags":"t"}])", 65536, 1000);
    EXPECT_EQ(read.objects, std::vector<std::string>{std::string(1000, 'x') + "//t"});
    EXPECT_EQ(read.result.bytes, huge.size() + 24);
    read =
        readList("[{\"tags\":" + std::string(100000, '[') + std::string(100000, ']') + "}]", 65536);
    EXPECT_EQ(read.result.code, Code::Done);
    EXPECT_EQ(read.objects, std::vector<std::string>{"//"});

    MemorySource source(R"([{"name":"A"},{"name":"B"},{"name":"C"}])");
    int seen = 0;
    EXPECT_EQ(readObjectList(source, kKeys, [&](ObjectValues) { return ++seen < 2; }).code,
              Code::Stopped);
    EXPECT_EQ(seen, 2);
}

}  // namespace
}  // namespace vistrelle::updater
