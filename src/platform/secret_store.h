#pragma once

#include <optional>
#include <string>

namespace tessaly {

// The sync server's password in the desktop's secret store (the Secret
// Service: GNOME Keyring, KWallet and the like), keyed by the server's
// address and the user. Never written anywhere else. Each call talks to
// the store over the session bus and waits for it; not for the GUI thread
// in a loop.
class SecretStore {
public:
    virtual ~SecretStore() = default;
    // False when no secret store answers (no session bus, none running):
    // the password must then be asked for each time.
    virtual bool available() = 0;
    // The password kept for `url` and `user`, if any.
    virtual std::optional<std::string> lookup(const std::string& url, const std::string& user) = 0;
    // Keeps `password` for `url` and `user`; false when the store refused.
    virtual bool store(const std::string& url, const std::string& user,
                       const std::string& password) = 0;
};

// The desktop's own store, through libsecret.
class DesktopSecretStore final : public SecretStore {
public:
    bool available() override;
    std::optional<std::string> lookup(const std::string& url, const std::string& user) override;
    bool store(const std::string& url, const std::string& user,
               const std::string& password) override;
};

} // namespace tessaly
