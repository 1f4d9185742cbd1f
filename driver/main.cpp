#include <cstdio>

int main() {
    std::printf("Compiler for korvo, %s(%s), Version:%s. official homepage: %s .\n\n", "Linux", "x86_64", "4.9", "");
    return 0;
}
