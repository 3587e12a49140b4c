#include "text.h"

Text CutText(const std::string &s)
{
    return s.size() > MaxTextLength ? s.substr(0, MaxTextLength) : s;
}

Text Copy(const Text &text, long start, long count)
{
    const long length = static_cast<long>(text.size());
    if (count < 0)
        count = 0;
    if (start < 1)
        start = 1;
    if (start > length)
        return Text();
    if (count > length - start + 1)
        count = length - start + 1;
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

long PositionOf(char c, const Text &text)
{
    const std::size_t at = text.find(c);
    return at == std::string::npos ? 0 : static_cast<long>(at) + 1;
}
