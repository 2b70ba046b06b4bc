// Fuzz target for the text converter nkf: arbitrary text under arbitrary option strings and
// output capacities.
//
// Input layout: byte 0 picks the output capacity, the bytes up to the first NUL that follows are
// the option string, the rest is the text (cut at its own first NUL, as the converter reads it).
// Without a NUL the whole input after byte 0 is the text, converted with "s" as the EXIF readers
// call it. The output buffer is allocated at exactly the announced capacity, so a byte written
// beyond it is caught by AddressSanitizer.
//
// Checks: the result is 0 or -1; -1 leaves the output untouched; and with the EXIF readers' call
// ("s", capacity 2n + 2) the converted text and its terminator always fit.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "photogeo/Nkf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t capacity_byte = data[0];
    const uint8_t* rest = data + 1;
    size_t rest_size = size - 1;

    std::string options = "s";
    bool reader_call = true;
    const void* nul = std::memchr(rest, 0, rest_size);
    if (nul != nullptr) {
        const size_t options_size = static_cast<const uint8_t*>(nul) - rest;
        options.assign(reinterpret_cast<const char*>(rest), options_size);
        rest += options_size + 1;
        rest_size -= options_size + 1;
        reader_call = options == "s";
    }
    std::vector<unsigned char> text(rest, rest + rest_size);
    text.push_back(0);
    const size_t text_length = std::strlen(reinterpret_cast<const char*>(text.data()));

    // The EXIF readers' capacity, or one from 0 to 255 bytes chosen by the input.
    const int capacity = reader_call ? static_cast<int>(2 * text_length + 2) : capacity_byte;
    char* out = static_cast<char*>(std::malloc(capacity));
    std::memset(out, 0x5A, capacity);

    const int result = nkf(text.data(), out, capacity, options.c_str());
    if (result != 0 && result != -1) std::abort();
    if (result == -1 && std::count(out, out + capacity, 0x5A) != capacity) std::abort();
    if (reader_call && std::memchr(out, 0, capacity) == nullptr) std::abort();
    std::free(out);
    return 0;
}
