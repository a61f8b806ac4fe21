// The HTTP/1.1 server in one include: response writers, request reader, listener and connections.
#pragma once

#include "http/asyncnet.h"
#include "http/httpserver.h"
#include "http/requestreader.h"
#include "http/responders.h"
