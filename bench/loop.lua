-- Numeric loop: arithmetic on fields of an instance table.
local self = {}
self.s = 0
self.i = 0
while self.i < 3000000 do
    self.s = self.s + self.i * 2 - self.i / 4 + math.fmod(self.i, 7)
    self.i = self.i + 1
end
print(self.s)
