#include "cli/cli.h"

int main(int argc, char** argv) { return picmap::cli::Main(argc, argv); }
