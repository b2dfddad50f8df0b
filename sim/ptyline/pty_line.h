#pragma once

extern "C" int tx4040_ptyline_interposed() noexcept;
