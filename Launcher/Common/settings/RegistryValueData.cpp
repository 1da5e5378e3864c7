#include "RegistryValueData.h"

#include "RegistryText.h"
#include "ValueBlob.h"

#include <string>

bool VariantFromValueData(const RegistryValueData& data, Variant& value)
{
    value.Clear();
    const auto size = static_cast<std::uint32_t>(data.Bytes.size());
    if (data.Type != REG_SZ) {
        return ParseValueBlob(value, data.Bytes.data(), size) == BlobOk;
    }
    std::string text;
    if (!NarrowRegistryText(data.Bytes.data(), size, text)) {
        return false;
    }
    value = text.c_str();
    return true;
}
