// Calls one parameter reader on a parameter and writes the value it
// returns, so that the tests can see the message and exit status of a bad
// parameter.  Usage: numparam_probe real-char|real-char-c|int-char|
// real-prefix|int-prefix parameter [k]
#include <cstdlib>
#include <cstring>
#include <string>

#include "numparam.h"
#include "output.h"

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const std::string operation = argv[1];
    const Text parameter = argv[2];
    const uint8_t k = argc > 3 ? static_cast<uint8_t>(std::atoi(argv[3])) : 1;
    std::string result;
    if (operation == "real-char")
        result = RealText(0, 3, ParamRealByChar(parameter));
    else if (operation == "real-char-c")
        result = RealText(0, 3, ParamRealByChar(argv[2]));
    else if (operation == "int-char")
        result = IntText(0, ParamIntByChar(parameter));
    else if (operation == "real-prefix")
        result = RealText(0, 3, ParamRealByPrefix(parameter, k));
    else if (operation == "int-prefix")
        result = IntText(0, ParamIntByPrefix(parameter, k));
    else
        return 2;
    WriteLine(result);
    return 0;
}
