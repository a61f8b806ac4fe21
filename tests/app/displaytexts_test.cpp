// RC4 against published vectors, the hex decoding of stored texts and its errors, and the
// program's own texts.
#include "app/displaytexts.h"
#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvin;

namespace {

std::string toHex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipherHex;
};

// Key, plaintext and ciphertext as published with the cipher's description.
constexpr Vector published[] = {
    {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
    {"Wiki", "pedia", "1021BF0420"},
    {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
};

std::string valueErrorOf(std::string_view key, std::string_view hex) {
    try {
        decodeDisplayText(key, hex);
    } catch (const ValueError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(Rc4, PublishedVectors) {
    for (const Vector& v : published) {
        EXPECT_EQ(toHex(rc4(v.key, v.plain)), v.cipherHex) << v.key;
        EXPECT_EQ(decodeDisplayText(v.key, v.cipherHex), v.plain) << v.key;
    }
    // The first 16 key-stream bytes for the 40-bit key 01 02 03 04 05.
    EXPECT_EQ(toHex(rc4(std::string("\x01\x02\x03\x04\x05"), std::string(16, '\0'))),
              "B2396305F03DC027CCC3524A0A1118A8");
}

TEST(Rc4, RoundTripsAnyBytesAndLowerCaseHex) {
    std::string bytes;
    for (int i = 0; i < 600; ++i) {
        bytes += static_cast<char>(i * 7);
    }
    std::string key("a key with \xff and \x00 inside", 25);
    std::string enciphered = rc4(key, bytes);
    EXPECT_NE(enciphered, bytes);
    EXPECT_EQ(rc4(key, enciphered), bytes);
    EXPECT_EQ(decodeDisplayText("Wiki", "1021bf0420"), "pedia");
    EXPECT_EQ(decodeDisplayText("Wiki", ""), "");
    EXPECT_THROW(rc4("", "x"), ValueError);
}

TEST(DisplayText, BadHexIsAValueErrorNamingTheFault) {
    EXPECT_EQ(valueErrorOf("Wiki", "1021B"), "display text is not hex: odd number of digits (5)");
    EXPECT_EQ(valueErrorOf("Wiki", "10G1"), "display text is not hex: 'G' at position 2");
    EXPECT_EQ(valueErrorOf("Wiki", "1 21"), "display text is not hex: ' ' at position 1");
    EXPECT_EQ(valueErrorOf("Wiki", "0x10"), "display text is not hex: 'x' at position 1");
}

TEST(DisplayText, StoredTextsDecodeToTheWindowTexts) {
    DisplayTexts texts = decodeDisplayTexts();
    EXPECT_EQ(texts.title, "Quorvin Software");
    EXPECT_EQ(texts.homeLabel, "Visit Home");
    EXPECT_EQ(texts.homeLabel.size(), 10u);
    EXPECT_EQ(texts.homeTarget, "https://quorvin.example/");
    EXPECT_EQ(texts.contactLabel, "Contact Author");
    EXPECT_EQ(texts.contactLabel.size(), 14u);
    EXPECT_EQ(texts.contactTarget, "mailto:support@quorvin.example");

    const std::string& rtf = texts.helpRtf;
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_EQ(rtf.back(), '}');
    EXPECT_NE(rtf.find("\\fonttbl"), std::string::npos);
    EXPECT_NE(rtf.find("\\plain"), std::string::npos);
    EXPECT_NE(rtf.find("\\b Select Folder\\b0"), std::string::npos);
    EXPECT_NE(rtf.find("http://127.0.0.1:4321"), std::string::npos);
    int depth = 0;
    for (char c : rtf) {
        depth += c == '{' ? 1 : c == '}' ? -1 : 0;
        EXPECT_GE(depth, 0);
        EXPECT_LT(static_cast<unsigned char>(c), 128u); // plain ASCII, no code page questions
    }
    EXPECT_EQ(depth, 0);
}

TEST(DisplayText, PlainHelpTextDescribesWhatTheProgramDoes) {
    std::string_view help = plainHelpText();
    EXPECT_EQ(help.substr(0, 5), "  1. ");
    EXPECT_NE(help.find("**Select Folder**"), std::string_view::npos);
    EXPECT_NE(help.find("\r\n\r\n  2. "), std::string_view::npos);
    EXPECT_NE(help.find("http://127.0.0.1:4321"), std::string_view::npos);
    EXPECT_NE(help.find("https://quorvin.example/\r\n"), std::string_view::npos);
    EXPECT_EQ(help.back(), '\n');
    // A plain edit control breaks lines only at CR LF (before Windows 10 1809).
    for (std::size_t at = help.find('\n'); at != std::string_view::npos;
         at = help.find('\n', at + 1)) {
        EXPECT_TRUE(at > 0 && help[at - 1] == '\r') << "lone line feed at " << at;
    }
    // Neither a file button nor output files: the program serves a folder and writes nothing.
    EXPECT_EQ(help.find("Select File"), std::string_view::npos);
    EXPECT_EQ(help.find("zz_"), std::string_view::npos);
    EXPECT_EQ(versionStatusText(), "     Version 20.08.14");
}
