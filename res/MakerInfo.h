// The maker's texts, shared by the resources and the panel's information display.
#pragma once

#define KESTRUN_MAKER_COPYRIGHT   "Copyright (C) 2026 Vexmora Technology Co., Ltd."
#define KESTRUN_MAKER_WEB_ADDRESS "http://www.vexmora.com"
