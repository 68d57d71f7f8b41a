#include "app/CDIZUravavedVKX260App.h"

namespace {
CDIZUravavedVKX260App theApp;
}

int main(int argc, char** argv) { return theApp.Run(argc, argv); }
