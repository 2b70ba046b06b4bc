// Random texts and option strings: the plain-text short way agrees with the long way. The seed
// is fixed, so a failure repeats; buffer bounds are the fuzz target's (fuzz_nkf).
#include <gtest/gtest.h>

#include <cstring>
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
