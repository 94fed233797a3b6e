#include "conditions/registry_conditions.h"

#include <cstring>
#include <memory>

#include "diagnostics/system_error_text.h"
#include "diagnostics/text_format.h"
#include "platform/codes.h"

namespace setup {
namespace {

constexpr size_t kDwordSize = 4;
constexpr size_t kTextBufferSize = 260;

// A registry value as a detection report shows it.
std::string DescribeValue(const std::string& bytes, uint32_t type) {
    if (type == 4 && bytes.size() == 4) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
        return Format("REG_DWORD %d", static_cast<int32_t>(value));
    }
    if (type == 1 || type == 2) {
        return Format("%s '%s'", type == 1 ? "REG_SZ" : "REG_EXPAND_SZ", bytes.substr(0, bytes.find('\0')).c_str());
    }
    return Format("type %u, %u bytes", static_cast<unsigned>(type), static_cast<unsigned>(bytes.size()));
}

template <typename Comparer>
std::unique_ptr<CRegComparer> MakeComparer(Services& s, const RegistryPath& where, int32_t key64) {
    return std::make_unique<Comparer>(s, where.root, where.keyPath, where.valueName, key64 != 0);
}

}  // namespace

uint32_t CRegComparer::GetRegValue(size_t bufferSize, std::string* bytes) {
    uint32_t type = 0;
    const uint32_t error = services_.os.registry().ReadValue(
        RootKey, KeyPath, ValueName,
        Use64BitView ? platform::RegistryView::View64 : platform::RegistryView::Default, bufferSize,
        bytes, &type);
    services_.Observe([&] {
        return Format("registry %s\\%s\\%s (%s view): %s", RootKeyName(RootKey), KeyPath.c_str(),
                      ValueName.c_str(), Use64BitView ? "64-bit" : "32-bit",
                      (error == codes::kSuccess ? DescribeValue(*bytes, type)
                                                : SystemErrorText(services_.os, error)).c_str());
    });
    if (error != codes::kSuccess) {
        services_.log.Printf("CRegComparer.GetRegValue(%#x, '%s', '%s') failed. %s\r\n",
                            static_cast<unsigned>(RootKey), KeyPath.c_str(), ValueName.c_str(),
                            SystemErrorText(services_.os, error).c_str());
    }
    return error;
}

bool CRegComparer::GetRegText(size_t bufferSize, std::string* text) {
    std::string bytes;
    if (GetRegValue(bufferSize, &bytes) != codes::kSuccess) return false;
    *text = bytes.substr(0, bytes.find('\0'));
    return true;
}

bool CRegComparerDword::Compare(const std::string& op, const std::string& operand) {
    std::string bytes;
    if (GetRegValue(kDwordSize, &bytes) != codes::kSuccess) return false;
    // A shorter value counts as zero-filled.
    uint32_t raw = 0;
    for (size_t i = 0; i < bytes.size() && i < kDwordSize; ++i) {
        raw |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    const int32_t value = static_cast<int32_t>(raw);
    const int32_t wanted = ToInt(operand.c_str());
    return op == "=" ? value == wanted : value >= wanted;
}

bool CRegComparerString::Compare(const std::string& op, const std::string& operand) {
    std::string value;
    if (!GetRegText(kTextBufferSize, &value)) return false;
    return op == "=" ? CompareNoCase(value, operand) == 0 : CompareNoCase(operand, value) <= 0;
}

bool CRegComparerVersion::Compare(const std::string& op, const std::string& operand) {
    std::string value;
    if (!GetRegText(kTextBufferSize, &value)) return false;
    return op == "=" ? VersionTextEquals(value, operand) : VersionTextAtLeast(value, operand);
}

RegCondError ParseRegCond(const std::string& regCond, RegCondParts* parts) {
    static const struct {
        const char* name;
        RegCondType type;
    } kTypes[] = {{"DWORD", RegCondType::Dword}, {"STRING", RegCondType::String},
                  {"VERSION", RegCondType::Version}};
    std::string rest;
    bool known = false;
    for (const auto& t : kTypes) {
        if (StartsWithNoCase(regCond, t.name)) {
            parts->type = t.type;
            rest = regCond.substr(std::strlen(t.name));
            known = true;
            break;
        }
    }
    if (!known) return RegCondError::UnknownType;
    if (rest.compare(0, 1, "=") == 0) {
        parts->op = "=";
    } else if (rest.compare(0, 2, ">=") == 0) {
        parts->op = ">=";
    } else {
        return RegCondError::NoOperator;
    }
    parts->operand = rest.substr(parts->op.size());
    return RegCondError::None;
}

int IsValidRegCond(Services& s, const std::string& regPath, const std::string& regCond,
                   int32_t key64) {
    // A rule that cannot be read: logged, and shown to a detection report.
    const auto reject = [&](const std::string& reason) {
        s.Observe([&] { return "registry rule " + regPath + " " + regCond + ": not understood, " + reason; });
        s.log.Printf("IsValidRegCond() failed. %s\r\n", reason.c_str());
        return 0;
    };
    RegistryPath where;
    switch (SplitRegistryPath(regPath, &where)) {
        case RegistryPathError::NoKey:
            return reject(Format("Invalid registry key '%s'.", regPath.c_str()));
        case RegistryPathError::UnknownRoot:
            return reject(Format("Can't find root registry key '%s'.", where.rootName.c_str()));
        case RegistryPathError::NoValueName:
            return reject(Format("Invalid parameter RegPath='%s'.", regPath.c_str()));
        case RegistryPathError::None:
            break;
    }
    RegCondParts parts;
    switch (ParseRegCond(regCond, &parts)) {
        case RegCondError::UnknownType:
            return reject(Format("Invalid variable in condition '%s'. RegPath='%s'.", regCond.c_str(),
                                 regPath.c_str()));
        case RegCondError::NoOperator:
            return reject(Format("Invalid operation in condition '%s'. RegPath='%s'.", regCond.c_str(),
                                 regPath.c_str()));
        case RegCondError::None:
            break;
    }

    std::unique_ptr<CRegComparer> comparer;
    switch (parts.type) {
        case RegCondType::Dword:
            comparer = MakeComparer<CRegComparerDword>(s, where, key64);
            break;
        case RegCondType::String:
            comparer = MakeComparer<CRegComparerString>(s, where, key64);
            break;
        case RegCondType::Version:
            comparer = MakeComparer<CRegComparerVersion>(s, where, key64);
            break;
    }

    const bool holds = comparer->Compare(parts.op, parts.operand);
    if (!holds) {
        s.log.Printf("IsValidRegCond() failed. Invalid condition '%s'. RegPath='%s'.\r\n",
                     regCond.c_str(), regPath.c_str());
    }
    return holds ? 1 : 0;
}

bool AnyRegCondHolds(Services& s, const std::vector<RegConditionPair>& conditions, int32_t key64) {
    for (const RegConditionPair& pair : conditions) {
        if (IsValidRegCond(s, pair.regPath, pair.regCond, key64) == 1) return true;
    }
    return false;
}

}  // namespace setup
