// The room's instances as the script language reaches them: lists, lookups by id, local
// variables and the instance built-in variables with their setters.
#pragma once

#include <array>

#include "code/Variable_Main.h"

namespace kelvane {

struct Runtime;

class RoomInstances : public InstanceAccess {
  public:
    explicit RoomInstances(Runtime& rt);
    CVariableList& locals(CInstance& inst) override;
    bool destroyed(CInstance& inst) override;
    int32_t count() override;
    CInstance* at(int32_t position) override;
    int32_t object_count(int32_t object) override;
    CInstance* object_at(int32_t object, int32_t position) override;
    CInstance* find(int32_t id) override;
    bool get_builtin(CInstance& inst, int32_t var_id, int32_t index, RValue& out) override;
    bool set_builtin(CInstance& inst, int32_t var_id, int32_t index, const RValue& v) override;

  private:
    Runtime& rt_;
    std::array<BuiltInField, iv_end - first_instance_builtin> fields_;
};

} // namespace kelvane
