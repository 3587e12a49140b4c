// kalidor: period analysis of the brightness estimates of a variable star.
#include "hardcopy.h"
#include "kalidor.h"
#include "screen.h"

int main(int argc, char **argv)
{
    // Before any output: the graphics layer and the printer channel.
    InitGraphicsLayer();
    OpenPrinterSpool();
    if (argc >= 2)
        SetHardCopyStem(FileStem(argv[1]));
    return RunDialogue(argc, argv);
}
