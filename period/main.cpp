// kalidor: period analysis of the brightness estimates of a variable star.
#include "fastspectrum.h"
#include "hardcopy.h"
#include "kalidor.h"
#include "screen.h"

int main(int argc, char **argv)
{
    // Before any output: the spectrum kernel (a KALIDOR_SPECTRUM_KERNEL that
    // names none ends the run here), the graphics layer and the printer
    // channel.
    ActiveSpectrumKernel();
    InitGraphicsLayer();
    OpenPrinterSpool();
    if (argc >= 2)
        SetHardCopyStem(FileStem(argv[1]));
    return RunDialogue(argc, argv);
}
