/* arxmod plug-in interface: the three functions a host calls on
 * mx4110_4120.so, and the exchange callback through which the plug-in reaches
 * the meter during a Process call. */
#ifndef ARXMOD_PLUGIN_H
#define ARXMOD_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*ArxExchangeCallback)(uint32_t context, const uint8_t *packet, int32_t packetLength,
                                    uint8_t *reply, int32_t *replyLength);
int Init(void);
int Terminate(void);
unsigned char Process(uint32_t context, const uint8_t *request, int32_t requestLength,
                      uint8_t *answer, int32_t *answerLength, ArxExchangeCallback callback);

#ifdef __cplusplus
}
#endif

#endif /* ARXMOD_PLUGIN_H */
