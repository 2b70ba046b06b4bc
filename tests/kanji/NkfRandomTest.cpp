// Random texts and option strings: the converter stays within its input and output buffers,
// terminates its output whenever that fits, and the plain-text short way agrees with the long
// way. The seeds are fixed, so a failure repeats.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "photogeo/Nkf.h"

namespace {

std::string Nkf(const std::string& text, const char* options) {
    std::vector<char> out(text.size() * 16 + 64, '\x7F');
    int result = nkf(reinterpret_cast<const unsigned char*>(text.c_str()), out.data(),
                     static_cast<int>(out.size()), options);
    return result != 0 ? "<rejected>" : std::string(out.data());
}

// Bytes that steer the converter into its states, mixed with uniformly random ones.
std::string RandomText(std::mt19937& random) {
    static const char kInteresting[] =
        "\x1b$(B@IJH\x0e\x0f\n\r ^_=?\x8e\xde\xdf\xa1\xb6\xca"
        "\x88\x9f\xe4\xb8\xa4\xfc\x7f";
    std::string text(random() % 120, ' ');
    for (char& c : text)
        c = random() % 2 ? kInteresting[random() % (sizeof kInteresting - 1)]
                         : static_cast<char>(1 + random() % 255);
    return text;
}
std::string RandomOptions(std::mt19937& random) {
    static const char kOptionCharacters[] = "BEJSlXxZesjnMficodmrbutO0123456789@QH-A yz";
    std::string options(random() % 8, ' ');
    for (char& c : options) c = kOptionCharacters[random() % (sizeof kOptionCharacters - 1)];
    return options;
}

// The input sits in a heap block of exactly its size (so the sanitizer build catches a read
// past its NUL); nothing is written past size bytes, and the output ends with a NUL whenever
// that fits.
TEST(NkfRandom, StaysInBoundsAndTerminates) {
    std::mt19937 random(20260601);
    for (int round = 0; round < 100000; ++round) {
        const std::string text = RandomText(random), options = RandomOptions(random);
        std::unique_ptr<unsigned char[]> input(new unsigned char[text.size() + 1]);
        std::memcpy(input.get(), text.c_str(), text.size() + 1);
        // The written length: where two runs into differently filled buffers agree.
        const size_t room = text.size() * 16 + 64;
        std::vector<char> zeros(room, '\0'), ones(room, '\xff');
        const int result = nkf(input.get(), zeros.data(), static_cast<int>(room), options.c_str());
        ASSERT_EQ(nkf(input.get(), ones.data(), static_cast<int>(room), options.c_str()), result);
        size_t written = room;
        while (written > 0 && zeros[written - 1] != ones[written - 1]) --written;
        if (result != 0) {
            ASSERT_EQ(result, -1);
            ASSERT_EQ(written, 0u) << options;
            continue;
        }
        ASSERT_TRUE(written > 0 && written < room && zeros[written - 1] == '\0') << options;
        // A buffer of exactly size bytes gets the same bytes, cut at size.
        const int size = static_cast<int>(random() % (written + 2));
        std::unique_ptr<char[]> out(new char[size + 1]);
        out[size] = '\x5a';
        nkf(input.get(), out.get(), size, options.c_str());
        ASSERT_EQ(out[size], '\x5a');
        const size_t n = std::min<size_t>(size, written);
        ASSERT_EQ(std::string(out.get(), n), std::string(zeros.data(), n));
    }
}

// Plain text runs take a short way unless folding, rotation or full-width mapping is on. "Z"
// changes nothing in a text that cannot produce a character of JIS rows 0x21 or 0x23, so with
// it every such text takes the long way and must give the same bytes.
TEST(NkfRandom, ShortAndLongWayAgree) {
    std::mt19937 random(20260602);
    for (int round = 0; round < 50000; ++round) {
        std::string text = RandomText(random);
        for (char& c : text)
            if (std::strchr("\x21\x23\xA1\xA3\x81\x82", c)) c = 'a';
        const std::string options = RandomOptions(random);
        if (options.find_first_of("Zr") != std::string::npos) continue;
        ASSERT_EQ(Nkf(text, options.c_str()), Nkf(text, (options + "Z").c_str()))
            << "options " << options;
    }
}

}  // namespace
