// The bundled sample log: a few minutes of a receiver session, made from
// the frame builder so that every byte of it is known.
#pragma once

#include <string>

std::string make_sample();
