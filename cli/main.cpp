#include "dispatcher.h"

#include <iostream>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    tessaly::cli::Dispatcher dispatcher;
    return dispatcher.run(arguments, std::cout, std::cerr);
}
