#pragma once

#include "data.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace demo {

// The accounts of this run: those of accounts.tsv plus the ones created since
// start. Requests are served on several threads, so every access locks.
class AccountBook {
public:
    explicit AccountBook(std::vector<Account> accounts);

    // The account whose user name and credential digest match.
    std::optional<Account> signIn(const std::string& user, const std::string& key) const;

    struct Creation {
        bool created = false;
        std::string text; // the user name, or why the account was not created
    };
    // A new account, not active until paid. Its user name is the e-mail
    // address in lower case; the password goes to the demo mailbox.
    Creation create(const std::string& firstName, const std::string& lastName, const std::string& email);

    // Activates the account of this e-mail address with the plan, or extends
    // its plan. The account after payment, or nothing when no account has it.
    std::optional<Account> pay(const std::string& email, const Plan& plan);

    struct Mail {
        std::string to;
        std::string user;
        std::string password;
    };
    std::vector<Mail> mailsTo(const std::string& email) const;

private:
    Account* findByEmail(const std::string& email);

    mutable std::mutex mutex;
    std::vector<Account> accounts;
    std::vector<Mail> mails;
};

} // namespace demo
