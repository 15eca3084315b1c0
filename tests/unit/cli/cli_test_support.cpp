#include "cli_test_support.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace tessaly::cli::test {

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

// In the child: puts `path` on descriptor `target`, or ends the child.
void redirect(const std::string& path, int flags, int target)
{
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0 || ::dup2(fd, target) < 0) {
        ::_exit(126);
    }
    ::close(fd);
}

} // namespace

void execProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    std::string program = TESSALY_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

ProgramRun runProgram(const std::vector<std::string>& arguments, const ProgramSetup& setup)
{
    TempFolder capture;
    const std::string outPath =
        setup.stdoutPath.empty() ? capture.file("stdout") : setup.stdoutPath;
    const std::string errPath = capture.file("stderr");
    int pipeEnds[2] = {-1, -1};
    if (setup.closedPipe) {
        if (::pipe(pipeEnds) != 0) {
            return {};
        }
        ::close(pipeEnds[0]); // no reader, ever: the first write fails
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (setup.noTerminal) {
            ::setsid();
        }
        if (!setup.workingFolder.empty() && ::chdir(setup.workingFolder.c_str()) != 0) {
            ::_exit(126);
        }
        redirect(setup.stdinPath, O_RDONLY, 0);
        if (setup.closedPipe) {
            ::dup2(pipeEnds[1], 1);
            ::close(pipeEnds[1]);
        } else {
            redirect(outPath, O_WRONLY | O_CREAT | O_TRUNC, 1);
        }
        redirect(errPath, O_WRONLY | O_CREAT | O_TRUNC, 2);
        if (setup.asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(126);
        }
        execProgram(arguments);
    }
    if (setup.closedPipe) {
        ::close(pipeEnds[1]);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return {};
    }
    ProgramRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (setup.stdoutPath.empty() && !setup.closedPipe) {
        run.out = readAll(outPath);
    }
    run.err = readAll(errPath);
    return run;
}

} // namespace tessaly::cli::test
