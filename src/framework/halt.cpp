#include "framework/halt.h"

#include "framework/ui_port.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

struct HaltHooks {
    std::mutex mutex;
    std::vector<std::pair<int, HaltHook>> hooks;
    int nextId = 1;
};

HaltHooks& registry()
{
    static HaltHooks instance;
    return instance;
}

} // namespace

int addHaltHook(HaltHook hook)
{
    HaltHooks& r = registry();
    const std::lock_guard lock{r.mutex};
    const int id = r.nextId++;
    r.hooks.emplace_back(id, std::move(hook));
    return id;
}

void removeHaltHook(int id)
{
    HaltHooks& r = registry();
    const std::lock_guard lock{r.mutex};
    std::erase_if(r.hooks, [id](const auto& entry) { return entry.first == id; });
}

void runHaltHooks()
{
    std::vector<std::pair<int, HaltHook>> hooks;
    {
        HaltHooks& r = registry();
        const std::lock_guard lock{r.mutex};
        hooks.swap(r.hooks);
    }
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
        it->second();
    }
}

void haltProcess(int exitCode)
{
    runHaltHooks();
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

bool UiPort::askYesNo(std::string_view title, std::string_view text, bool yesIsDefault)
{
    MessageRequest request;
    request.title = std::string{title};
    request.text = std::string{text};
    request.icon = MessageIcon::Question;
    request.buttons = ButtonYes | ButtonNo;
    request.defaultButton = yesIsDefault ? ButtonYes : ButtonNo;
    return showMessage(request) == ButtonYes;
}

void UiPort::halt(int exitCode)
{
    haltProcess(exitCode);
}

} // namespace tessaly
