#pragma once

// The buttons a message box offers and the answer it gives, the same for every window.

enum class MessageButtons { Ok, RetryIgnore };
enum class MessageAnswer { Ok, Retry, Ignore };
