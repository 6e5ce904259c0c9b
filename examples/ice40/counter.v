// An 8-bit counter on the iCEstick's LEDs: a prescaler divides the 12 MHz
// clock, the counter counts the prescaler's ticks while `run` is high, and
// a decoder shows the count's top bits as one lit LED.
module prescaler #(parameter BITS = 16) (input clk, input rst, output tick);
  reg [BITS-1:0] div = 0;
  always @(posedge clk)
    if (rst) div <= 0;
    else div <= div + 1'b1;
  assign tick = &div;
endmodule

module counter8 (input clk, input rst, input en, output reg [7:0] count = 0);
  always @(posedge clk)
    if (rst) count <= 0;
    else if (en) count <= count + 1'b1;
endmodule

module counter (input clk, input rst, input run, output [4:0] led, output [7:0] q);
  wire tick;
  wire [7:0] count;
  prescaler #(.BITS(16)) u_pre (.clk(clk), .rst(rst), .tick(tick));
  counter8 u_cnt (.clk(clk), .rst(rst), .en(tick & run), .count(count));
  assign led = 5'b1 << count[7:6] | {count[5], 4'b0};
  assign q = count;
endmodule
