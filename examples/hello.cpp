// Prints the library's version and reads a few bytes and bits with the byte reader.
#include <photogeo/photogeo.h>

#include <cstdio>

int main() {
    unsigned char data[] = {0x4D, 0x4D, 0x00, 0x2A, 0xA5, 0xFF, 0x00, 0x80, 0xFF, 0xD9};
    CInBitStream stream(data, sizeof data);
    std::printf("photogeo %s\n", PhotogeoVersion());
    std::printf("byte order mark: %c%c\n", stream.GetByte(), stream.GetByte());
    std::printf("TIFF magic: %d\n", stream.GetWord());
    int a = stream.GetBits(4);
    int b = stream.GetBits(4);
    std::printf("bits: 0x%X 0x%X\n", a, b);
    std::printf("next 9 bits after a stuffed 0xFF: 0x%X\n", stream.GetBits(9));
    std::printf("marker: -0x%X\n", -stream.GetBits(8));
    return 0;
}
