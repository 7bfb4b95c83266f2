/* A host written in C, as the plug-in's load tests run it: it loads the
 * plug-in, calls Init, one Process with the request packet given in
 * hexadecimal, Terminate, and unloads the plug-in. It never uses the C++
 * standard streams, so the plug-in meets them not yet constructed.
 *
 *   arxmod_c_host PLUGIN PACKET-IN-HEX
 *
 * Prints "Process: <result>, answer length <length>" and exits 0 when
 * every step of loading, calling and unloading worked. */
#include "arxmod/plugin.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

enum { kCapacity = 4096 };

static void noDevice(uint32_t context, const uint8_t *packet, int32_t packetLength, uint8_t *reply,
                     int32_t *replyLength) {
  (void)context;
  (void)packet;
  (void)packetLength;
  (void)reply;
  *replyLength = 0;
}

static int hexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

/* The bytes of `hex` in `bytes`; their count, or -1 when `hex` is not an
 * even number of hexadecimal digits that fit. */
static int fromHex(const char *hex, uint8_t *bytes, size_t capacity) {
  const size_t digits = strlen(hex);
  if (digits % 2 != 0 || digits / 2 > capacity)
    return -1;
  for (size_t i = 0; i < digits / 2; ++i) {
    const int high = hexDigit(hex[2 * i]);
    const int low = hexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0)
      return -1;
    bytes[i] = (uint8_t)(high * 16 + low);
  }
  return (int)(digits / 2);
}

/* dlsym's object pointer as a function pointer, without the cast ISO C
 * forbids. */
static int symbol(void *plugin, const char *name, void *function, size_t size) {
  void *address = dlsym(plugin, name);
  if (!address) {
    fprintf(stderr, "missing %s\n", name);
    return 0;
  }
  memcpy(function, &address, size);
  return 1;
}

int main(int argc, char **argv) {
  uint8_t request[kCapacity];
  uint8_t answer[kCapacity];
  int (*init)(void) = NULL;
  int (*terminate)(void) = NULL;
  unsigned char (*process)(uint32_t, const uint8_t *, int32_t, uint8_t *, int32_t *,
                           ArxExchangeCallback) = NULL;
  if (argc != 3) {
    fprintf(stderr, "usage: %s PLUGIN PACKET-IN-HEX\n", argv[0]);
    return 2;
  }
  const int length = fromHex(argv[2], request, sizeof request);
  if (length < 0) {
    fprintf(stderr, "not a packet in hexadecimal: %s\n", argv[2]);
    return 2;
  }
  void *plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!plugin) {
    fprintf(stderr, "%s\n", dlerror());
    return 3;
  }
  if (!symbol(plugin, "Init", &init, sizeof init) ||
      !symbol(plugin, "Terminate", &terminate, sizeof terminate) ||
      !symbol(plugin, "Process", &process, sizeof process))
    return 4;
  if (!init())
    return 5;
  int32_t answerLength = kCapacity;
  const unsigned char processed = process(1, request, length, answer, &answerLength, noDevice);
  printf("Process: %u, answer length %d\n", (unsigned)processed, (int)answerLength);
  if (!terminate())
    return 5;
  if (dlclose(plugin) != 0) {
    fprintf(stderr, "%s\n", dlerror());
    return 6;
  }
  return 0;
}
