-- 1-D array: fill and sum, repeated.
local self = {a = {}}
self.t = 0
for _ = 1, 40 do
    self.i = 0
    while self.i < 30000 do self.a[self.i] = self.i; self.i = self.i + 1 end
    self.i = 0
    while self.i < 30000 do self.t = self.t + self.a[self.i]; self.i = self.i + 1 end
end
print(self.t)
