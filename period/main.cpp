// kalidor: period analysis of the brightness estimates of a variable star.
#include "hardcopy.h"
#include "kalidor.h"
#include "options.h"
#include "screen.h"

int main(int argc, char **argv)
{
    // The options come first; the dialogue sees the program name and the
    // parameters after them, exactly as without options.
    const int first = ParseOptions(argc, argv);
    argv[first - 1] = argv[0];
    argc -= first - 1;
    argv += first - 1;

    // Before any output: the graphics layer and the printer channel.
    InitGraphicsLayer();
    OpenPrinterSpool();
    if (argc >= 2)
        SetHardCopyStem(FileStem(argv[1]));
    return RunDialogue(argc, argv);
}
