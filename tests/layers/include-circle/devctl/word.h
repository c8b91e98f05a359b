#pragma once
void Encode();
