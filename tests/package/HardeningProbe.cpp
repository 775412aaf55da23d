// Built with the options of every shipped binary, this program holds the code patterns that the hardening flags
// visibly change, which the shipped binaries may happen not to contain: a read into a buffer of known size (fortified
// to __read_chk by _FORTIFY_SOURCE) and a stack frame larger than a page (probed page by page by
// -fstack-clash-protection). tst_package reads the result with hardening-check.
#include <cstdio>
#include <cstring>

#include <unistd.h>

int main(int argc, char** argv)
{
    char large[256 * 1024];
    std::memset(large, 0, sizeof large);
    const auto count = static_cast<size_t>(argc > 1 ? std::strlen(argv[1]) : 1);
    const ssize_t got = read(STDIN_FILENO, large, count);
    std::printf("%d\n", int(got > 0 ? large[got - 1] : 0));
    return 0;
}
