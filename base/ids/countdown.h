// Controls and timer of the completion countdown window.
#pragma once

enum CountdownControl : int { kCountdownLabel = 1, kCountdownHint, kCountdownYes, kCountdownNo };
enum CountdownTimer : int { kCountdownTimer = 1 };
