#include "dbisam/field_kind.h"

#include "dbisam/field_decoding.h"
#include "dbisam/table_format.h"
#include "dbisam/table_reader.h"

namespace tabdump {
namespace {

using namespace dbisam_layout;

constexpr std::uint8_t kMemoSubType = 22;
constexpr std::uint8_t kFormattedMemoSubType = 24;

}  // namespace

bool IsMemoSubType(std::uint8_t sub_type) { return sub_type == kMemoSubType || sub_type == kFormattedMemoSubType; }

FieldKind FieldKindOf(const TDBISAMFieldInfo& field) {
  const std::uint8_t sub_type_index = TDBISAM::SubTypeIndex(field.SubType());
  // The kind follows how the reader decodes the field, which settles what an
  // odd width means (a Double that is not 8 bytes wide is bytes).
  switch (PlanValueKind(field.FieldType(), UsedWidth(field.FieldType(), field.PhysicalSize()))) {
    case ValueKind::kString: return FieldKind::kString;
    case ValueKind::kBlob: return IsMemoSubType(field.SubType()) ? FieldKind::kMemo : FieldKind::kBinaryBlob;
    case ValueKind::kBytes: return FieldKind::kBytes;
    case ValueKind::kBoolean: return FieldKind::kBoolean;
    case ValueKind::kShortInteger: return FieldKind::kShortInteger;
    case ValueKind::kInteger:
      return sub_type_index == kAutoIncSubTypeIndex ? FieldKind::kAutoInc : FieldKind::kInteger;
    case ValueKind::kUnsignedShortInteger: return FieldKind::kUnsignedShortInteger;
    case ValueKind::kUnsignedInteger: return FieldKind::kUnsignedInteger;
    case ValueKind::kLargeInteger: return FieldKind::kLargeInteger;
    case ValueKind::kUnsignedLargeInteger: return FieldKind::kUnsignedLargeInteger;
    case ValueKind::kFloat: return sub_type_index == kCurrencySubTypeIndex ? FieldKind::kCurrency : FieldKind::kFloat;
    case ValueKind::kBcd: return FieldKind::kBcd;
    case ValueKind::kDate: return FieldKind::kDate;
    case ValueKind::kTime: return FieldKind::kTime;
    case ValueKind::kTimeStamp: return FieldKind::kTimeStamp;
  }
  return FieldKind::kBytes;
}

}  // namespace tabdump
