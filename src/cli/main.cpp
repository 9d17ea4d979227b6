#include "cli.h"

int main(int argc, char** argv) { run_tsnarrow(argc, argv); }
