#include "sudz-modbus/modbus_request.h"

namespace {

constexpr int kHeaderLength = 7;  // MBAP header, unit id included
constexpr int kGatewayTargetFailed = 0x0B;

}  // namespace

bool answer_request(modbus_t* ctx, modbus_mapping_t* mapping, const register_map& map,
                    area_values& area, int unit, const uint8_t* frame, int length, bool* wrote) {
  *wrote = false;
  const uint8_t* pdu = frame + kHeaderLength;
  if (unit >= 0 && frame[6] != unit) {
    return modbus_reply_exception(ctx, frame, kGatewayTargetFailed) >= 0;
  }
  const int exception = map.check(pdu, length - kHeaderLength);
  if (exception != 0) return modbus_reply_exception(ctx, frame, exception) >= 0;
  const int function = pdu[0];
  if (function == 0x05 || function == 0x06 || function == 0x0F || function == 0x10) {
    map.apply_writes(pdu, area);
    *wrote = true;
  }
  map.fill(mapping, area);
  return modbus_reply(ctx, frame, length, mapping) >= 0;
}
