#pragma once

// Shared by the resource script and the code.
#define PromptTextId 500
#define PromptCaptionId 501
#define ApplicationIconId 101
