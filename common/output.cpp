#include "output.h"

#include <cstdio>

void WriteText(const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void WriteLine(const std::string &text) { WriteText(text + "\n"); }
