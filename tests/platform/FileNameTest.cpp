#include "platform/FileName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RoundTrip {
  const char* label;
  std::string bytes;
};

class FileNameRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(FileNameRoundTrip, BytesSurviveDecodeAndEncode) {
  const std::string& bytes = GetParam().bytes;
  const QString decoded = DecodeFileName(bytes);
  const QByteArray encoded = EncodeFileName(decoded);
  EXPECT_EQ(std::string(encoded.constData(), static_cast<size_t>(encoded.size())), bytes);
}

INSTANTIATE_TEST_SUITE_P(Names, FileNameRoundTrip,
                         testing::Values(RoundTrip{"ascii", "report.final.pdf"},
                                         RoundTrip{"umlauts",
                                                   "Gr\xC3\xBC\xC3\x9F"
                                                   "e.txt"},
                                         RoundTrip{"emoji", "\xF0\x9F\x98\x80.png"},
                                         RoundTrip{"latin1", "caf\xE9.txt"},
                                         RoundTrip{"lone continuation",
                                                   "a\x80"
                                                   "b"},
                                         RoundTrip{"truncated sequence", "x\xE2\x82"},
                                         RoundTrip{"overlong slash", "\xC0\xAF"},
                                         RoundTrip{"encoded surrogate", "\xED\xB2\x80"},
                                         RoundTrip{"above max", "\xF4\x90\x80\x80"},
                                         RoundTrip{"every high byte",
                                                   [] {
                                                     std::string s;
                                                     for (int b = 0x80; b <= 0xFF; ++b)
                                                       s += static_cast<char>(b);
                                                     return s;
                                                   }()},
                                         RoundTrip{"line feed", "a\nb"}, RoundTrip{"empty", ""}),
                         [](const testing::TestParamInfo<RoundTrip>& param) {
                           std::string n = param.param.label;
                           for (char& c : n)
                             if (c == ' ') c = '_';
                           return n;
                         });

TEST(FileName, ValidUtf8DecodesAsText) {
  EXPECT_EQ(DecodeFileName(std::string("Gr\xC3\xBC\xC3\x9F"
                                       "e")),
            QString::fromUtf8("Grüße"));
  EXPECT_EQ(DecodeFileName(std::string("\xF0\x9F\x98\x80")), QString::fromUtf8("\xF0\x9F\x98\x80"));
}

TEST(FileName, InvalidBytesBecomeEscapeSurrogates) {
  const QString s = DecodeFileName(std::string("caf\xE9"));
  ASSERT_EQ(s.size(), 4);
  EXPECT_EQ(s.at(3).unicode(), 0xDCE9);
}

TEST(FileName, TypedTextIsWrittenAsUtf8) {
  EXPECT_EQ(EncodeFileName(QStringLiteral("Grüße")), QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                                "e"));
  // A lone high surrogate has no byte form and becomes U+FFFD instead of vanishing.
  EXPECT_EQ(EncodeFileName(QString(QChar(0xD800))), QByteArray("\xEF\xBF\xBD"));
}

// Plain ASCII is copied in blocks: whatever stands at any place of a long path, before, inside
// or after a block, must come out as it went in.
TEST(FileName, LongPathsSurviveWhateverStandsWhere) {
  const std::string pieces[] = {"\xC3\xBC", "\xF0\x9F\x98\x80", "\xE9", "\x7F", "\x01"};
  for (const std::string& piece : pieces) {
    for (size_t at = 0; at <= 40; ++at) {
      std::string bytes(40, 'a');
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
      bytes.insert(at, piece);
      const QByteArray encoded = EncodeFileName(DecodeFileName(bytes));
      EXPECT_EQ(std::string(encoded.constData(), static_cast<size_t>(encoded.size())), bytes)
          << "piece of " << piece.size() << " bytes at " << at;
    }
  }
}

}  // namespace
