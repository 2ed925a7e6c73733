#include "accounts.h"

#include "rules.h"

#include <algorithm>
#include <random>

namespace {

std::string newPassword()
{
    // Lower case only: the client lower-cases every password it sends.
    static const std::string alphabet = "abcdefghjkmnpqrstuvwxyz23456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string password;
    for (int i = 0; i < 10; ++i)
        password += alphabet[pick(random)];
    return password;
}

} // namespace

demo::AccountBook::AccountBook(std::vector<Account> accounts)
    : accounts(std::move(accounts))
{
}

std::optional<demo::Account> demo::AccountBook::signIn(const std::string& user, const std::string& key) const
{
    const std::string name = lowerCase(user);
    const std::string digest = lowerCase(key);
    std::lock_guard<std::mutex> lock(mutex);
    for (const Account& account : accounts) {
        if (account.user == name && account.md5 == digest)
            return account;
    }
    return std::nullopt;
}

demo::AccountBook::Creation demo::AccountBook::create(
    const std::string& firstName, const std::string& lastName, const std::string& email)
{
    const std::string first = trimmed(firstName);
    const std::string last = trimmed(lastName);
    const std::string address = lowerCase(trimmed(email));
    if (first.empty() || last.empty())
        return { false, "Please give your first name and last name." };
    if (first.size() > 60 || last.size() > 60 || !isPrintableText(first) || !isPrintableText(last))
        return { false, "Names can be up to 60 characters of plain text." };
    if (!isEmailAddress(address))
        return { false, "Please give a valid e-mail address." };

    std::lock_guard<std::mutex> lock(mutex);
    if (findByEmail(address))
        return { false, "This e-mail address already has an account. Use \"Password Lost?\" to recover it." };

    const std::string password = newPassword();
    accounts.push_back({ address, md5Hex(password), first + " " + last, address, false, "None", 0, "0 GB" });
    mails.push_back({ address, address, password });
    return { true, address };
}

std::optional<demo::Account> demo::AccountBook::pay(const std::string& email, const Plan& plan)
{
    std::lock_guard<std::mutex> lock(mutex);
    Account* account = findByEmail(lowerCase(email));
    if (!account)
        return std::nullopt;
    account->enabled = true;
    account->plan = plan.name;
    account->daysLeft = std::max(account->daysLeft, 0) + plan.days;
    if (account->quota == "0 GB")
        account->quota = "Unlimited";
    return *account;
}

std::vector<demo::AccountBook::Mail> demo::AccountBook::mailsTo(const std::string& email) const
{
    const std::string address = lowerCase(email);
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Mail> found;
    for (const Mail& mail : mails) {
        if (mail.to == address)
            found.push_back(mail);
    }
    return found;
}

demo::Account* demo::AccountBook::findByEmail(const std::string& email)
{
    for (Account& account : accounts) {
        if (lowerCase(account.email) == email)
            return &account;
    }
    return nullptr;
}
