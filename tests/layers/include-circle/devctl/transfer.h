#pragma once
void Transfer();
