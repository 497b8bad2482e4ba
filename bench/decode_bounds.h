// Time of BlockCodec::Decode on hostile blocks beside well-formed ones of the
// same capacity: decoding should stay linear in its output whatever the
// input.
#pragma once

// Prints the table; false when a block decoded to another result than the
// format gives.
bool RunDecodeBounds();
