#include "engine/field_table.h"

namespace fb {

std::optional<Field> fieldByName(std::string_view name) {
  for (const FieldInfo& info : kFields)
    if (info.name == name) return info.field;
  return std::nullopt;
}

double numericValue(const ParameterSet& p, const FieldInfo& info) {
  return std::visit(
      [&p](auto member) -> double {
        if constexpr (std::is_same_v<decltype(member), std::string ParameterSet::*>)
          return 0;  // the data file is no number
        else
          return static_cast<double>(p.*member);
      },
      info.member);
}

FieldTexts FieldTexts::defaults() {
  FieldTexts t;
  for (const FieldInfo& info : kFields) t[info.field] = std::string(info.defaultText);
  return t;
}

}  // namespace fb
