// kalidor: period analysis of the brightness estimates of a variable star.
#include "hardcopy.h"
#include "kalidor.h"
#include "output.h"
#include "screen.h"
#include "signalend.h"

int main(int argc, char **argv)
{
    // Before anything is opened: descriptors 0 to 2 taken, so that no file
    // lands on them; an ending signal removes what must not stay.
    PrepareStandardStreams();
    CatchEndingSignals();
    // Before any output: the graphics layer and the printer channel.
    InitGraphicsLayer();
    OpenPrinterSpool();
    if (argc >= 2) {
        SetHardCopyStem(FileStem(argv[1]));
        SetHardCopyInput(argv[1]);
    }
    return RunDialogue(argc, argv);
}
