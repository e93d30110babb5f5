#include "platform/widgets/runtime/line_transport.hpp"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace platform::widgets {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File readStream(std::string& bytes) {
  return File(fmemopen(bytes.data(), bytes.size(), "r"));
}

/// Every result the reader yields until the end, as text ("<too long>", "<end>").
std::vector<std::string> readAll(std::string bytes, std::size_t cap) {
  if (bytes.empty()) {
    return {"<end>"};
  }
  File stream = readStream(bytes);
  LineReader reader(stream.get(), cap);
  std::vector<std::string> results;
  for (;;) {
    const auto result = reader.next();
    switch (result.status) {
      case LineReader::Status::line:
        results.emplace_back(result.line);
        break;
      case LineReader::Status::tooLong:
        results.emplace_back("<too long>");
        break;
      case LineReader::Status::end:
        results.emplace_back("<end>");
        return results;
    }
  }
}

TEST(LineReader, Framing) {
  using Lines = std::vector<std::string>;
  struct Case {
    std::string bytes;
    Lines expected;
  };
  const Case cases[] = {
      {"a\nbb\n", {"a", "bb", "<end>"}},
      {"a\r\nb\n", {"a", "b", "<end>"}},
      {"\n\n", {"", "", "<end>"}},
      // A last line without its newline is cut off, not handed out.
      {"a\nhalf", {"a", "<end>"}},
      // Exactly the cap fits, with or without "\r"; one more byte does not, and
      // the reader goes on with the next line.
      {"12345678\n", {"12345678", "<end>"}},
      {"12345678\r\n", {"12345678", "<end>"}},
      {"123456789\nok\n", {"<too long>", "ok", "<end>"}},
      {std::string(100000, 'x') + "\nok\n", {"<too long>", "ok", "<end>"}},
      {std::string(100000, 'x'), {"<end>"}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3), "<end>"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, readAll(c.bytes, 8)) << c.bytes.substr(0, 20);
  }
}

TEST(LineWriter, WritesOneFlushedLinePerMessage) {
  char* data = nullptr;
  std::size_t size = 0;
  File stream(open_memstream(&data, &size));
  LineWriter writer(stream.get());
  EXPECT_TRUE(writer.write(R"({"a":1})"));
  // The message is visible before the stream is closed: each write flushes.
  EXPECT_EQ("{\"a\":1}\n", std::string(data, size));
  EXPECT_TRUE(writer.write(""));
  EXPECT_EQ("{\"a\":1}\n\n", std::string(data, size));
  stream.reset();
  std::free(data);
}

TEST(LineWriter, FailsForGoodOnceTheStreamFails) {
  std::string bytes = "read only";
  File stream = readStream(bytes);
  LineWriter writer(stream.get());
  EXPECT_FALSE(writer.write("x"));
  EXPECT_FALSE(writer.write("y"));
}

}  // namespace
}  // namespace platform::widgets
