// A program outside the project that uses the installed library through its public headers.
#include <photogeo/photogeo.h>

#include <cstdio>

int main() {
    unsigned char data[] = {0x12, 0x34};
    CInBitStream stream(data, sizeof data);
    int word = stream.GetWord();
    std::printf("photogeo %s, word 0x%04X\n", PhotogeoVersion(), word);
    return word == 0x1234 ? 0 : 1;
}
