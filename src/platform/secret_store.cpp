#include "platform/secret_store.h"

#include <libsecret/secret.h>

namespace tessaly {

namespace {

const SecretSchema* syncSchema()
{
    static const SecretSchema schema = {"org.tessaly.Tessaly2000.SyncServer",
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {"url", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        },
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

// A lookup that tells "none kept" from "no store to ask".
bool lookUp(const std::string& url, const std::string& user, std::optional<std::string>& found)
{
    GError* error = nullptr;
    gchar* password = secret_password_lookup_sync(syncSchema(), nullptr, &error, "url", url.c_str(),
                                                  "user", user.c_str(), nullptr);
    if (error != nullptr) {
        g_error_free(error);
        return false;
    }
    if (password != nullptr) {
        found = std::string{password};
        secret_password_free(password);
    }
    return true;
}

} // namespace

bool DesktopSecretStore::available()
{
    std::optional<std::string> ignored;
    return lookUp("", "", ignored);
}

std::optional<std::string> DesktopSecretStore::lookup(const std::string& url,
                                                      const std::string& user)
{
    std::optional<std::string> found;
    lookUp(url, user, found);
    return found;
}

bool DesktopSecretStore::store(const std::string& url, const std::string& user,
                               const std::string& password)
{
    GError* error = nullptr;
    const std::string label = "Tessaly 2000 sync: " + user + " at " + url;
    const gboolean stored = secret_password_store_sync(
        syncSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(), nullptr, &error,
        "url", url.c_str(), "user", user.c_str(), nullptr);
    if (error != nullptr) {
        g_error_free(error);
        return false;
    }
    return stored != FALSE;
}

} // namespace tessaly
