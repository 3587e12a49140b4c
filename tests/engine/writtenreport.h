// The text report of an analysis as the batch run writes it, in a string.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reportwriter.h"

inline std::string WrittenTextReport(const PeriodReport &report)
{
    char *buffer = nullptr;
    std::size_t length = 0;
    std::FILE *memory = open_memstream(&buffer, &length);
    if (memory == nullptr)
        return "";
    WriteTextReport(report, memory);
    std::fclose(memory);
    std::string text(buffer, length);
    std::free(buffer);
    return text;
}
