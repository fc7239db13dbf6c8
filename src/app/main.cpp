#include "quendrel_main.h"

int main(int argc, char** argv) { return quendrel::RunQuendrel(argc, argv); }
