// Drives the screen layer from a test script:
//   screen_probe open OP      InitGraph, print GraphResult, then do OP
//   screen_probe closed OP    do OP without any InitGraph
//   screen_probe window       InitGraph, draw the test picture, say "ready",
//                             then echo two input lines as "line:<text>"
#include <cstdio>
#include <cstring>
#include <string>

#include "runerror.h"
#include "screen.h"
#include "test_picture.h"

namespace {

// One drawing or palette operation by name; false for an unknown name.
bool DoOperation(const char *name)
{
    if (std::strcmp(name, "cleardevice") == 0)
        ClearDevice();
    else if (std::strcmp(name, "setcolor") == 0)
        SetColor(White);
    else if (std::strcmp(name, "setbkcolor") == 0)
        SetBkColor(Black);
    else if (std::strcmp(name, "line") == 0)
        Line(0, 0, 10, 10);
    else if (std::strcmp(name, "putpixel") == 0)
        PutPixel(1, 1, White);
    else if (std::strcmp(name, "getpixel") == 0)
        GetPixel(1, 1);
    else if (std::strcmp(name, "circle") == 0)
        Circle(50, 50, 10);
    else if (std::strcmp(name, "outtextxy") == 0)
        OutTextXY(0, 0, "x");
    else if (std::strcmp(name, "none") != 0)
        return false;
    return true;
}

void Say(const std::string &text)
{
    std::fputs((text + "\n").c_str(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    InitGraphicsLayer();
    const std::string command = argc > 1 ? argv[1] : "";
    if ((command == "open" || command == "closed") && argc > 2) {
        if (command == "open") {
            int driver = DetectDriver, mode = 0;
            InitGraph(driver, mode, "");
            Say("GraphResult " + std::to_string(GraphResult()));
        }
        if (!DoOperation(argv[2]))
            EndProgram(2);
        Say("survived");
        EndProgram(0);
    }
    if (command == "window") {
        int driver = DetectDriver, mode = 0;
        InitGraph(driver, mode, "");
        Say("GraphResult " + std::to_string(GraphResult()) + " " + DisplayKind());
        DrawTestPicture();
        Say("ready");
        Say("line:" + ReadInputLine(40));
        Say("line:" + ReadInputLine(40));
        CloseGraph();
        EndProgram(0);
    }
    std::fputs("usage: screen_probe open|closed OPERATION | window\n", stderr);
    EndProgram(2);
}
