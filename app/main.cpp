// The process entry: the one application object and the framework's start.
#include "app/QUIBApp.h"

CQUIBApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return framework::AfxWinMain();
}
