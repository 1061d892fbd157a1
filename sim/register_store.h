// Controller registers keyed by (address, index).
#ifndef SIM_REGISTER_STORE_H
#define SIM_REGISTER_STORE_H

#include <cstdint>
#include <map>
#include <utility>

namespace sim {

class RegisterStore {
public:
    void set(int32_t address, int32_t index, int32_t value) { values_[{address, index}] = value; }
    bool get(int32_t address, int32_t index, int32_t* value) const {
        auto it = values_.find({address, index});
        if (it == values_.end()) return false;
        if (value) *value = it->second;
        return true;
    }
    int32_t valueOr(int32_t address, int32_t index, int32_t fallback) const {
        int32_t v = fallback;
        get(address, index, &v);
        return v;
    }

private:
    std::map<std::pair<int32_t, int32_t>, int32_t> values_;
};

}  // namespace sim

#endif
