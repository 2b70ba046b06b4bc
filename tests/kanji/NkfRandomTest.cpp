// Random texts and random option strings: the converter must never read past the input's NUL
// (the input sits in a heap block of exactly its size, so the sanitizer build catches it), never
// write past size bytes, and end its output with a NUL whenever that fits. The seed is fixed, so
// a failure repeats.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "photogeo/Nkf.h"

namespace {

// Bytes that steer the converter into its states, mixed with uniformly random ones.
const unsigned char kInteresting[] = {0x1b, '$',  '(',  'B',  '@',  'I',  'J',  'H',  0x0e, 0x0f,
                                      '\n', '\r', ' ',  '^',  '_',  '=',  '?',  0x8e, 0xde, 0xdf,
                                      0xa1, 0xb6, 0xca, 0x88, 0x9f, 0xe4, 0xb8, 0xa4, 0xfc, 0x7f};
const char kOptionCharacters[] = "BEJSlXxZesjnMficodmrbutO0123456789@QH-A yz";

std::string RandomText(std::mt19937& random) {
    std::string text(random() % 120, ' ');
    for (char& c : text) {
        if (random() % 2 == 0) {
            c = static_cast<char>(kInteresting[random() % sizeof kInteresting]);
        } else {
            c = static_cast<char>(1 + random() % 255);
        }
    }
    return text;
}

std::string RandomOptions(std::mt19937& random) {
    std::string options(random() % 8, ' ');
    for (char& c : options) c = kOptionCharacters[random() % (sizeof kOptionCharacters - 1)];
    return options;
}

TEST(NkfRandom, NeverFaultsAndTerminatesWhenItFits) {
    std::mt19937 random(20260601);
    for (int round = 0; round < 100000; ++round) {
        std::string text = RandomText(random);
        std::string options = RandomOptions(random);
        std::unique_ptr<unsigned char[]> input(new unsigned char[text.size() + 1]);
        std::copy(text.begin(), text.end(), input.get());
        input[text.size()] = 0;

        // The written length: where two runs into differently filled buffers agree.
        const size_t room = text.size() * 16 + 64;
        std::vector<char> zeros(room, '\0');
        std::vector<char> ones(room, '\xff');
        int result = nkf(input.get(), zeros.data(), static_cast<int>(room), options.c_str());
        ASSERT_EQ(nkf(input.get(), ones.data(), static_cast<int>(room), options.c_str()), result);
        size_t written = room;
        while (written > 0 && zeros[written - 1] != ones[written - 1]) --written;
        if (result != 0) {
            ASSERT_EQ(result, -1);
            ASSERT_EQ(written, 0u) << options;
            continue;
        }
        ASSERT_GT(written, 0u);
        ASSERT_LT(written, room);
        ASSERT_EQ(zeros[written - 1], '\0') << "options " << options;

        // A smaller buffer of exactly size bytes gets the same bytes, cut at size.
        const int size = static_cast<int>(random() % (written + 2));
        std::unique_ptr<char[]> out(new char[size + 1]);
        out[size] = '\x5a';
        nkf(input.get(), out.get(), size, options.c_str());
        ASSERT_EQ(out[size], '\x5a');
        ASSERT_EQ(std::string(out.get(), std::min<size_t>(size, written)),
                  std::string(zeros.data(), std::min<size_t>(size, written)));
    }
}

// Plain text runs take a short way through the converter unless folding, rotation or
// full-width mapping is on. "Z" changes nothing in a text that cannot produce a character of
// JIS rows 0x21 or 0x23, so with it every text takes the long way and must give the same bytes.
TEST(NkfRandom, ShortAndLongWayAgree) {
    std::mt19937 random(20260602);
    for (int round = 0; round < 50000; ++round) {
        std::string text = RandomText(random);
        for (char& c : text) {
            switch (static_cast<unsigned char>(c)) {
                case 0x21:
                case 0x23:
                case 0xA1:
                case 0xA3:
                case 0x81:
                case 0x82:
                    c = 'a';
                    break;
                default:
                    break;
            }
        }
        std::string options = RandomOptions(random);
        // Rotation would bring other rows into 0x21 and 0x23.
        if (options.find_first_of("Zr") != std::string::npos) continue;
        std::vector<char> shortWay(text.size() * 16 + 64, '\0');
        std::vector<char> longWay(text.size() * 16 + 64, '\0');
        const unsigned char* input = reinterpret_cast<const unsigned char*>(text.c_str());
        int result =
            nkf(input, shortWay.data(), static_cast<int>(shortWay.size()), options.c_str());
        std::string withMapping = options + "Z";
        ASSERT_EQ(nkf(input, longWay.data(), static_cast<int>(longWay.size()), withMapping.c_str()),
                  result);
        ASSERT_EQ(shortWay, longWay) << "options " << options;
    }
}

}  // namespace
