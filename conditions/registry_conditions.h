// Registry conditions: a RegPath naming a value and a RegCond such as
// "VERSION>=2.1" that the value must satisfy.
#pragma once

#include <string>
#include <vector>

#include "config/component_descriptors.h"
#include "diagnostics/services.h"

namespace setup {

// Reads one registry value and compares it; one virtual operation.
class CRegComparer {
public:
    CRegComparer(Services& services, platform::RegistryRoot rootKey, std::string keyPath,
                 std::string valueName, bool use64BitView)
        : RootKey(rootKey), KeyPath(std::move(keyPath)), ValueName(std::move(valueName)),
          Use64BitView(use64BitView), services_(services) {}
    virtual ~CRegComparer() = default;

    // True when the registry value satisfies the operator ("=" or ">=")
    // against the operand.
    virtual bool Compare(const std::string& op, const std::string& operand) = 0;

    // 0 with the value's bytes, or the (logged) error code.
    uint32_t GetRegValue(size_t bufferSize, std::string* bytes);

    platform::RegistryRoot RootKey;
    std::string KeyPath;
    std::string ValueName;
    bool Use64BitView;

protected:
    // The value as text up to its first NUL, read into `bufferSize` bytes.
    bool GetRegText(size_t bufferSize, std::string* text);

    Services& services_;
};

class CRegComparerDword : public CRegComparer {
public:
    using CRegComparer::CRegComparer;
    bool Compare(const std::string& op, const std::string& operand) override;
};

class CRegComparerString : public CRegComparer {
public:
    using CRegComparer::CRegComparer;
    bool Compare(const std::string& op, const std::string& operand) override;
};

class CRegComparerVersion : public CRegComparer {
public:
    using CRegComparer::CRegComparer;
    bool Compare(const std::string& op, const std::string& operand) override;
};

// A RegCond taken apart: the type's name in any letter case, then "=" or
// ">=" at once, then the operand (the rest, as written).
enum class RegCondType { Dword, String, Version };
struct RegCondParts {
    RegCondType type = RegCondType::Dword;
    std::string op;
    std::string operand;
};
enum class RegCondError { None, UnknownType, NoOperator };
RegCondError ParseRegCond(const std::string& regCond, RegCondParts* parts);

// 1 when the condition holds, 0 when it does not or cannot be evaluated
// (each such case is logged).
int IsValidRegCond(Services& services, const std::string& regPath, const std::string& regCond,
                   int32_t key64);

// True at the first pair that holds; false for an empty list.
bool AnyRegCondHolds(Services& services, const std::vector<RegConditionPair>& conditions,
                     int32_t key64);

}  // namespace setup
