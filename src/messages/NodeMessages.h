// Every node message class in one include, for code that builds or inspects
// envelopes of any kind.
#pragma once

#include "messages/ENVLMessage.h"
#include "messages/ENVL_Exception.h"
#include "messages/PIC_MessageIncluded.h"
#include "messages/PacketMessages.h"
#include "messages/PollPIC_Message.h"
#include "messages/SimpleMessages.h"
#include "messages/SystemResponse.h"
